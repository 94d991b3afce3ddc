#version 330
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
in vec4 vVertex;
in vec3 vNormal;
in vec2 vTexCoord0;
in vec3 vTangent;
out vec2 vTexCoord;
out vec3 vEyeDirection;

void main() {
	vec4 vVertexPosition = mModelViewMatrix * vVertex;
	vec3 n = normalize(mNormalMatrix * vNormal);
	vec3 t = normalize(mNormalMatrix * vTangent);
	mat3 mTBN = mat3(t, cross(n, t), n);
	vTexCoord = vTexCoord0;
	vEyeDirection = -vVertexPosition.xyz * mTBN;
	gl_Position = mProjectionMatrix * vVertexPosition;
}
