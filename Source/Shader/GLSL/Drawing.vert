#version 330
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
layout(location = 0) in vec4 vVertex;
layout(location = 4) in vec4 vVertexColor;
out vec4 vFrontColor;

void main() {
	vFrontColor = vVertexColor;
	gl_Position = mProjectionMatrix * mModelViewMatrix * vVertex;
}
