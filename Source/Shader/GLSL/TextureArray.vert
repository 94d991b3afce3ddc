#version 330
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
layout(location = 0) in vec4 vVertex;
layout(location = 1) in vec3 vNormal;
layout(location = 2) in vec2 vTexCoord0;
layout(location = 6) in vec3 vTangent;
layout(location = 7) in float iGroup;
out vec4 vVectorPosition;
out vec2 vTexCoord;
out mat3 mTBN;
flat out float fLayer;

void main() {
	vVectorPosition = mModelViewMatrix * vVertex;
	gl_Position = mProjectionMatrix * vVectorPosition;
	vVectorPosition.w = 1.0;
	vec3 n = normalize(mNormalMatrix * vNormal);
	vec3 t = normalize(mNormalMatrix * vTangent);
	mTBN = mat3(t, cross(n, t), n);
	vTexCoord = vTexCoord0;
	fLayer = iGroup;
}
